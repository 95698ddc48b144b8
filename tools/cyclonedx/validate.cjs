// Validates a CycloneDX JSON bill of materials with the CycloneDX library's own validator (the
// CycloneDX JSON schema of the version the document declares, SPDX licence ids included) and
// parses every licence expression as SPDX: names each fault and exits 1.
//   node tools/cyclonedx/validate.cjs BOM.json
'use strict';
const fs = require('fs');
const { Validation } = require('@cyclonedx/cyclonedx-library');
const parseSpdx = require('spdx-expression-parse');

async function main(file) {
  const text = fs.readFileSync(file, 'utf8');
  const bom = JSON.parse(text);
  const faults = [];
  const schemaFaults = await new Validation.JsonStrictValidator(bom.specVersion).validate(text);
  if (schemaFaults !== null) faults.push(JSON.stringify(schemaFaults, null, 1));
  const components = [...(bom.components || []), ...((bom.metadata || {}).tools || {}).components || []];
  for (const component of components) {
    for (const licence of component.licenses || []) {
      if (licence.expression === undefined) continue;
      try {
        parseSpdx(licence.expression);
      } catch (error) {
        faults.push(`${component.name}: ${licence.expression}: ${error.message}`);
      }
    }
  }
  if (faults.length) {
    console.error(`${file} is not a valid CycloneDX ${bom.specVersion} document:\n${faults.join('\n')}`);
    process.exit(1);
  }
}

main(process.argv[2]).catch((error) => {
  console.error(`${process.argv[2]}: ${error.message}`);
  process.exit(1);
});
