-- What wixl cannot write or writes wrong, for msibuild (build_msi.sh), one query a line: the
-- rollback and commit actions (wixl types them as immediate ones), the removals wixl refuses
-- (the runtime log, the server's folders), the earlier version removed once this one's files
-- are in place (tolvarin.wxs), and the properties an install passes from the command line to
-- its elevated part.
DELETE FROM `CustomAction` WHERE `Action` = 'RemoveNewFolders'
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('RemoveNewFolders', 3393, 'SetupActions', 'RemoveNewFolders')
DELETE FROM `CustomAction` WHERE `Action` = 'ForgetNewFolders'
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('ForgetNewFolders', 3649, 'SetupActions', 'ForgetNewFolders')
INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('SetupLog', 'Varnolet', 'Setup.log', 'INSTALLFOLDER', 2)
INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('InstallExecute', 5900)
UPDATE `InstallExecuteSequence` SET `Sequence` = 5901 WHERE `Action` = 'RemoveExistingProducts'
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLFOLDER;SETUPINSTALL' WHERE `Property` = 'SecureCustomProperties'
