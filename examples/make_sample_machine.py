#!/usr/bin/env python3
"""Writes examples/sample-machine: an offline 64-bit Windows 10 machine with an
x64 installation of the rescue-media builder, for the README's run command.

Run it again after changing it; its output is committed as it is written.
"""
import os
import shutil

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample-machine")
STORE = "drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}"
INSTALL = "drive_c/Program Files/Tessaro/Pelvane"

HDC = "{4d36e96a-e325-11ce-bfc1-08002be10318}"
SCSI = "{4d36e97b-e325-11ce-bfc1-08002be10318}"
NET = "{4d36e972-e325-11ce-bfc1-08002be10318}"
USB = "{36fc9e60-c465-11cf-8056-444553540000}"
DISPLAY = "{4d36e968-e325-11ce-bfc1-08002be10318}"
MEDIA = "{4d36e96c-e325-11ce-bfc1-08002be10318}"
HID = "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}"
SYSTEM = "{4d36e97d-e325-11ce-bfc1-08002be10318}"
BATTERY = "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"
KEYBOARD = "{4d36e96b-e325-11ce-bfc1-08002be10318}"


def write(relative, data):
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def encode(text, encoding):
    text = text.replace("\n", "\r\n")
    if encoding == "utf-16":
        return b"\xff\xfe" + text.encode("utf-16-le")
    if encoding == "utf-8-bom":
        return b"\xef\xbb\xbf" + text.encode("utf-8")
    return text.encode("cp1252")


def driver_inf(class_name, class_guid, provider, catalog, service, binary, models,
               decorations=("NTamd64",), date="06/21/2006", version="10.0.19041.1"):
    """models: list of (description, hardware id[, compatible id])."""
    lines = [f"; {binary.split('.')[0]}.inf - {provider} {class_name} driver", "",
             "[Version]", 'Signature   = "$WINDOWS NT$"', f"Class       = {class_name}",
             f"ClassGuid   = {class_guid}", f"Provider    = %ProviderName%"]
    if catalog:
        lines.append(f"CatalogFile = {catalog}")
    lines += [f"DriverVer   = {date},{version}", "PnpLockdown = 1", "",
              "[DestinationDirs]", "DefaultDestDir = 13", "",
              "[SourceDisksNames]", "1 = %DiskName%,,,", "",
              "[SourceDisksFiles]", f"{binary} = 1", "",
              "[Manufacturer]", f"%ManufacturerName% = Models, {', '.join(decorations)}", ""]
    for decoration in decorations:
        lines.append(f"[Models.{decoration}]")
        for model in models:
            ids = ", ".join(model[1:])
            lines.append(f"%{model[0]}% = Install, {ids}")
        lines.append("")
    lines += ["[Install.NT]", "CopyFiles = Install.CopyFiles", "", "[Install.CopyFiles]", binary, "",
              "[Install.NT.Services]", f"AddService = {service}, 0x00000002, Service_Inst", "",
              "[Service_Inst]", "ServiceType   = 1", "StartType     = 0", "ErrorControl  = 1",
              f"ServiceBinary = %13%\\{binary}", "",
              "[Strings]", f'ProviderName = "{provider}"', f'ManufacturerName = "{provider}"',
              f'DiskName = "{provider} Installation Disk"']
    for model in models:
        lines.append(f'{model[0]} = "{model[0].replace("_", " ")}"')
    return "\n".join(lines) + "\n"


def reg_string(name, value):
    return '"%s"="%s"\n' % (name, value.replace("\\", "\\\\").replace('"', '\\"'))


def reg_hex_text(name, kind, texts):
    data = b"".join(t.encode("utf-16-le") + b"\0\0" for t in texts)
    if kind == 7:
        data += b"\0\0"
    items = ",".join("%02x" % b for b in data)
    return '"%s"=hex(%d):%s\n' % (name, kind, items)


def main():
    if os.path.exists(ROOT):
        shutil.rmtree(ROOT)

    # The rescue-media builder, x64 variant.
    write(f"{INSTALL}/Tessaro/x64/readme.txt", "The x64 variant of the rescue environment.\n")
    write(f"{INSTALL}/Tessaro/Drivers/readme.txt", "Drivers gathered for the rescue media go below this folder.\n")

    # Driver binaries (short stand-ins for the real files).
    for binary in ["e1d68x64.sys", "storahci.sys", "iaStorAVC.sys", "USBXHCI.SYS", "socxhci.sys", "socnet.sys",
                   "nvlddmkm.sys", "CmBatt.sys", "kbdhid.sys"]:
        write(f"drive_c/Windows/System32/drivers/{binary}", f"MZ stand-in for the driver {binary}\n")
    write("drive_c/Windows/SysWOW64/drivers/readme.txt", "32-bit system files live here; drivers do not.\n")

    # INF files of the devices, and many others of several classes.
    infs = {
        "oem12.inf": (driver_inf("Net", NET, "Intel", "e1d68x64.cat", "e1dexpress", "e1d68x64.sys",
                                 [("E15B8_Desc", "PCI\\VEN_8086&DEV_15B8")],
                                 ("NTamd64.10.0...16299", "NTamd64")), "ascii"),
        "mshdc.inf": (driver_inf("hdc", HDC, "Microsoft", "", "storahci", "storahci.sys",
                                 [("Standard_AHCI", "PCI\\CC_0106")]), "ascii"),
        "oem7.inf": (driver_inf("SCSIAdapter", SCSI, "Intel", "iaStorAVC.cat", "iaStorAVC", "iaStorAVC.sys",
                                [("RAID_Desc", "PCI\\VEN_8086&DEV_2822&CC_0104")], ("NTamd64",)), "utf-16"),
        "usbxhci.inf": (driver_inf("USB", USB, "Microsoft", "", "USBXHCI", "USBXHCI.SYS",
                                   [("XHCI_Desc", "PCI\\CC_0C0330")]), "ascii"),
        # Two INF files list the SoC's USB controller; the one the folder
        # lists later wins.
        "oem14.inf": (driver_inf("USB", USB, "SoC Vendor", "socxhci_old.cat", "socxhci", "socxhci.sys",
                                 [("SocXhci_Desc", "ACPI\\VEN_VNDR&DEV_0A10")], ("NTamd64", "NTx86"),
                                 "01/10/2021", "1.0.0.0"), "ascii"),
        "oem9.inf": (driver_inf("USB", USB, "SoC Vendor", "socxhci.cat", "socxhci", "socxhci.sys",
                                [("SocXhci_Desc", "ACPI\\VEN_VNDR&DEV_0A10", "*PNP0D10")],
                                ("NTamd64", "NTx86"), "03/02/2023", "2.4.0.0"), "utf-8-bom"),
        "socnet.inf": (driver_inf("Net", NET, "SoC Vendor", "socnet.cat", "socnet", "socnet.sys",
                                  [("SocNet_Desc", "ACPI\\VEN_VNDR&DEV_0B20")]), "utf-16"),
        "socufs.inf": (driver_inf("SCSIAdapter", SCSI, "SoC Vendor", "socufs.cat", "ufshc", "ufshc.sys",
                                  [("SocUfs_Desc", "ACPI\\VEN_VNDR&DEV_0C30")]), "ascii"),
        # The SoC's USB ID in a network INF: never taken for the USB device.
        "oem30.inf": (driver_inf("Net", NET, "Other Vendor", "", "othernet", "othernet.sys",
                                 [("Other_Desc", "ACPI\\VEN_VNDR&DEV_0A10")]), "ascii"),
        "nv_dispi.inf": (driver_inf("Display", DISPLAY, "Graphics Maker", "nv_disp.cat", "nvlddmkm", "nvlddmkm.sys",
                                    [("GPU_Desc", "PCI\\VEN_10DE&DEV_1C82")]), "ascii"),
        "cmbatt.inf": (driver_inf("Battery", BATTERY, "Microsoft", "", "CmBatt", "CmBatt.sys",
                                  [("Battery_Desc", "ACPI\\PNP0C0A")]), "ascii"),
        "keyboard.inf": (driver_inf("Keyboard", KEYBOARD, "Microsoft", "", "i8042prt", "i8042prt.sys",
                                    [("Kbd_Desc", "ACPI\\PNP0303")]), "utf-16"),
    }
    fillers = [("Media", MEDIA, "hdaudio"), ("HIDClass", HID, "hidi2c"), ("System", SYSTEM, "acpi"),
               ("Net", NET, "netvwifi"), ("USB", USB, "usbport"), ("hdc", HDC, "pciide"),
               ("SCSIAdapter", SCSI, "stornvme"), ("Display", DISPLAY, "basicdisplay")]
    encodings = ["ascii", "utf-16", "utf-8-bom"]
    for i in range(24):
        class_name, guid, service = fillers[i % len(fillers)]
        decorations = [("NTamd64",), ("NTx86", "NTamd64"), ("NTamd64.6.1",), ("NTamd64.10.0...17763", "NTamd64")][i % 4]
        name = f"oem{40 + i}.inf" if i % 3 == 0 else f"{service}{i}.inf"
        infs[name] = (driver_inf(class_name, guid, "Various", f"{service}{i}.cat" if i % 2 else "", f"{service}{i}",
                                 f"{service}{i}.sys",
                                 [(f"Dev{i}_Desc", f"PCI\\VEN_1B{i:02d}&DEV_{i:04X}"),
                                  (f"Dev{i}b_Desc", f"ACPI\\VEN_X{i:03d}&DEV_0001", f"*PNP0C{i:02d}")],
                                 decorations), encodings[i % 3])
    infs["autorun.inf"] = ("[autorun]\nopen=setup.exe\nicon=setup.exe,0\n", "ascii")
    for name, (text, encoding) in infs.items():
        write(f"drive_c/Windows/Inf/{name}", encode(text, encoding))
    write("drive_c/Windows/Inf/setupapi.dev.log", "[Device Install Log]\n")

    # The catalog store: catalogs under the installed INF's name.
    for name in ["oem12.cat", "oem7.cat", "oem9.cat", "oem14.cat", "socnet.cat", "oem40.cat"]:
        write(f"{STORE}/{name}", f"stand-in for the catalog {name}\n")

    # The registry.
    system = ["Windows Registry Editor Version 5.00", "",
              "; A 64-bit Windows 10 machine: the facts the tool reads.", "",
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]",
              reg_string("SystemRoot", "C:\\Windows").strip(), reg_string("CurrentVersion", "6.3").strip(),
              '"CurrentMajorVersionNumber"=dword:0000000a', '"CurrentMinorVersionNumber"=dword:00000000',
              reg_string("CurrentBuildNumber", "19045").strip(), reg_string("ProductName", "Windows 10 Pro").strip(), "",
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion]",
              reg_string("SystemRoot", "C:\\Windows").strip(), reg_string("CurrentVersion", "6.3").strip(), "",
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]",
              reg_string("PROCESSOR_ARCHITECTURE", "AMD64").strip(), "",
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]",
              reg_string("ACP", "1252").strip(), reg_string("OEMCP", "850").strip(), "",
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro\\Pelvane]",
              reg_string("InstallDir", "C:\\Program Files\\Tessaro\\Pelvane").strip(),
              reg_string("Version", "7.0").strip(), ""]
    write("registry/00-system.reg", encode("\n".join(system) + "\n", "utf-16"))

    devices = ["Windows Registry Editor Version 5.00", ""]

    def pci(device_id, instance, class_guid, service, desc, driver=None, mfg=None):
        devices.append(f"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\{device_id}\\{instance}]")
        devices.append(reg_string("ClassGUID", class_guid).strip())
        devices.append(reg_string("Service", service).strip())
        devices.append(reg_string("DeviceDesc", desc).strip())
        if driver:
            devices.append(reg_string("Driver", driver).strip())
        if mfg:
            devices.append(reg_string("Mfg", mfg).strip())
        devices.append("")

    def acpi(device_id, instance, class_guid, service, desc, hardware_ids):
        devices.append(f"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\{device_id}\\{instance}]")
        devices.append(reg_string("ClassGUID", class_guid).strip())
        devices.append(reg_string("Service", service).strip())
        devices.append(reg_string("DeviceDesc", desc).strip())
        devices.append(reg_hex_text("HardwareID", 7, hardware_ids).strip())
        devices.append("")

    def class_key(driver, inf_path):
        devices.append(f"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{driver}]")
        if inf_path:
            devices.append(reg_string("InfPath", inf_path).strip())
        devices.append(reg_string("DriverDesc", "driver").strip())
        devices.append("")

    def service(name, image_path):
        devices.append(f"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\{name}]")
        devices.append(reg_hex_text("ImagePath", 2, [image_path]).strip())
        devices.append('"Type"=dword:00000001')
        devices.append("")

    pci("VEN_10DE&DEV_1C82&SUBSYS_11BF10DE&REV_A1", "4&2a9b3c1&0&0008", DISPLAY, "nvlddmkm",
        "@oem20.inf,%nvidia_dev.1c82%;Graphics Adapter", f"{DISPLAY}\\0000", "@oem20.inf,%nvidia%;Graphics Maker")
    # Two ports of one network adapter share the e1dexpress service and its folder.
    for port, instance in enumerate(["3&11583659&0&FE", "3&11583659&0&FF"]):
        pci("VEN_8086&DEV_15B8&SUBSYS_86721043&REV_00", instance, NET, "e1dexpress",
            f"@oem12.inf,%e15b8desc%;Intel(R) Ethernet Connection (2) I219-V #{port + 1}",
            f"{{4d36e972-e325-11ce-bfc1-08002be10318}}\\000{port + 1}", "@oem12.inf,%intel%;Intel")
    # The RAID controller's class key has no InfPath: its INF comes from Mfg.
    pci("VEN_8086&DEV_2822&SUBSYS_86941043&REV_10", "3&11583659&0&B8", SCSI, "iaStorAVC",
        "@oem7.inf,%pci\\ven_8086&dev_2822&cc_0104.devicedesc%;Intel(R) Chipset SATA/PCIe RST Premium Controller",
        "{4d36e97b-e325-11ce-bfc1-08002be10318}\\0000", "@oem7.inf,%intel%;Intel Corporation")
    pci("VEN_8086&DEV_A352&SUBSYS_86941043&REV_10", "3&11583659&0&B9", HDC.upper(), "storahci",
        "@mshdc.inf,%pci\\cc_0106.devicedesc%;Standard SATA AHCI Controller",
        "{4d36e96a-e325-11ce-bfc1-08002be10318}\\0000", "@mshdc.inf,%ms-ahci%;Standard SATA AHCI Controller")
    pci("VEN_8086&DEV_A36D&SUBSYS_86941043&REV_10", "3&11583659&0&A0", USB, "USBXHCI",
        "@usbxhci.inf,%pci\\cc_0c0330.devicedesc%;USB xHCI Compliant Host Controller",
        "{36fc9e60-c465-11cf-8056-444553540000}\\0000", "@usbxhci.inf,%generic.mfg%;Generic USB xHCI Host Controller")
    class_key("{4d36e972-e325-11ce-bfc1-08002be10318}\\0001", "oem12.inf")
    class_key("{4d36e972-e325-11ce-bfc1-08002be10318}\\0002", "oem12.inf")
    class_key("{4d36e97b-e325-11ce-bfc1-08002be10318}\\0000", None)
    class_key("{4d36e96a-e325-11ce-bfc1-08002be10318}\\0000", "mshdc.inf")
    class_key("{36fc9e60-c465-11cf-8056-444553540000}\\0000", "usbxhci.inf")
    class_key(f"{DISPLAY}\\0000", "oem20.inf")

    acpi("PNP0C0A", "1", BATTERY, "CmBatt", "@cmbatt.inf,%cmbatt.devicedesc%;Microsoft ACPI-Compliant Control Method Battery",
         ["ACPI\\PNP0C0A", "*PNP0C0A"])
    acpi("PNP0303", "4&1d401fb5&0", KEYBOARD, "i8042prt", "@keyboard.inf,%*pnp0303.devicedesc%;Standard PS/2 Keyboard",
         ["ACPI\\PNP0303", "*PNP0303"])
    acpi("VEN_VNDR&DEV_0A10", "0", USB, "socxhci", "SoC USB 3.0 Host Controller",
         ["ACPI\\VEN_VNDR&DEV_0A10", "ACPI\\VNDR0A10", "*PNP0D10"])
    acpi("VEN_VNDR&DEV_0B20", "0", NET, "socnet", "@socnet.inf,%socnet_desc%;SoC Gigabit Ethernet",
         ["ACPI\\VEN_VNDR&DEV_0B20", "ACPI\\VNDR0B20"])
    # Fails on purpose: its driver file is missing from System32\drivers.
    acpi("VEN_VNDR&DEV_0C30", "0", SCSI, "ufshc", "SoC UFS Storage Controller",
         ["ACPI\\VEN_VNDR&DEV_0C30", "ACPI\\VNDR0C30"])

    service("nvlddmkm", "\\SystemRoot\\System32\\drivers\\nvlddmkm.sys")
    service("e1dexpress", "\\SystemRoot\\System32\\drivers\\e1d68x64.sys")
    service("iaStorAVC", "System32\\drivers\\iaStorAVC.sys")
    service("storahci", "System32\\drivers\\storahci.sys")
    service("USBXHCI", "\\SystemRoot\\System32\\drivers\\USBXHCI.SYS")
    service("CmBatt", "\\SystemRoot\\System32\\drivers\\CmBatt.sys")
    service("socxhci", "%SystemRoot%\\System32\\drivers\\socxhci.sys")
    service("socnet", "\\??\\C:\\Windows\\System32\\drivers\\socnet.sys")
    service("ufshc", "\\SystemRoot\\System32\\drivers\\ufshc.sys")
    write("registry/10-devices.reg", encode("\n".join(devices) + "\n", "ascii"))


if __name__ == "__main__":
    main()
