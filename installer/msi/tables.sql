-- What wixl cannot write or writes wrong, for msibuild (build_msi.sh), one query a line: the
-- rollback action (wixl types it as an immediate one), the removals wixl refuses (the runtime
-- log, the server's folders), the earlier version removed within the transaction, and
-- the properties an install passes from the command line to its elevated part.
DELETE FROM `CustomAction` WHERE `Action` = 'RemoveNewFolders'
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('RemoveNewFolders', 3393, 'SetupActions', 'RemoveNewFolders')
INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('SetupLog', 'Varnolet', 'Setup.log', 'INSTALLFOLDER', 2)
UPDATE `InstallExecuteSequence` SET `Sequence` = 1503 WHERE `Action` = 'RemoveExistingProducts'
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLFOLDER;SAVEDFOLDER;SETUPINSTALL' WHERE `Property` = 'SecureCustomProperties'
