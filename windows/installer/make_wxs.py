#!/usr/bin/env python3
"""Writes the WiX description of the installer qrole-<version>.msi.

Usage: make_wxs.py VERSION EXE REGISTRY_TSV PROGRAM_DIR OUTPUT

The installer puts QROLE75.exe (EXE) and the program directory's files
(PROGRAM_DIR, beside the executable, where the server looks for them) in
"Program Files\\QROLE75", and writes the registration that qrole_regkeys.exe
lists (REGISTRY_TSV) under HKEY_CLASSES_ROOT, machine-wide. Every file and
value belongs to the installer's components, so uninstalling removes them all,
and the keys that hold them are marked to go with their subkeys.
"""
import os
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Fixed for every version: Windows Installer recognises the product by it.
UPGRADE_CODE = "4E0A4C0B-6B51-5B8E-9F3A-0C1D75A0E075"
# The program directory's files that are not shipped (the tool's lock files).
SKIPPED_SUFFIXES = ("-lock",)


def component_guid(name):
    return str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), "component:" + name)).upper()


def file_id(name):
    return "f_" + "".join(c if c.isalnum() or c in "._" else "_" for c in name)


def main():
    version, exe, registry_tsv, program_dir, output = sys.argv[1:6]
    # wixl takes sources relative to the description's folder.
    base = os.path.dirname(os.path.abspath(output))

    def source(path):
        return quoteattr(os.path.relpath(os.path.abspath(path), base))

    values, roots = [], []
    with open(registry_tsv, encoding="utf-8") as f:
        for line in f.read().splitlines():
            parts = line.split("\t")
            if parts[0] == "root":
                roots.append(parts[1])
            else:
                values.append(parts)
    files = sorted(n for n in os.listdir(program_dir)
                   if os.path.isfile(os.path.join(program_dir, n)) and not n.startswith(".")
                   and not n.endswith(SKIPPED_SUFFIXES))
    out = []
    w = out.append
    w('<?xml version="1.0" encoding="utf-8"?>')
    w('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
    w(f'  <Product Id="*" Name="QROLE75" Language="1033" Version="{version}" Manufacturer="QRN"'
      f' UpgradeCode="{UPGRADE_CODE}">')
    w('    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"'
      ' Description="QROLE75, the automation server"/>')
    w('    <Media Id="1" Cabinet="qrole.cab" EmbedCab="yes"/>')
    w('    <Directory Id="TARGETDIR" Name="SourceDir">')
    w('      <Directory Id="ProgramFilesFolder">')
    w('        <Directory Id="INSTALLDIR" Name="QROLE75">')
    w(f'          <Component Id="Server" Guid="{component_guid("QROLE75.exe")}">')
    w(f'            <File Id="QROLE75.exe" Name="QROLE75.exe" Source={source(exe)}'
      ' KeyPath="yes"/>')
    for key, name, value in values:
        name_attr = f" Name={quoteattr(name)}" if name else ""
        w(f'            <RegistryValue Root="HKCR" Key={quoteattr(key)}{name_attr}'
          f' Type="string" Value={quoteattr(value)}/>')
    # Each key holding the registration goes with its subkeys on uninstall
    # (a value named "-" with no value).
    for root in roots:
        w(f'            <RegistryValue Root="HKCR" Key={quoteattr(root)} Name="-"'
          ' Type="string" Value=""/>')
    w('          </Component>')
    for n in files:
        w(f'          <Component Id={quoteattr("c_" + file_id(n)[2:])}'
          f' Guid="{component_guid(n)}">')
        w(f'            <File Id={quoteattr(file_id(n))} Name={quoteattr(n)}'
          f' Source={source(os.path.join(program_dir, n))} KeyPath="yes"/>')
        w('          </Component>')
    w('        </Directory>')
    w('      </Directory>')
    w('    </Directory>')
    w('    <Feature Id="Complete" Level="1">')
    w('      <ComponentRef Id="Server"/>')
    for n in files:
        w(f'      <ComponentRef Id={quoteattr("c_" + file_id(n)[2:])}/>')
    w('    </Feature>')
    w('  </Product>')
    w('</Wix>')
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
