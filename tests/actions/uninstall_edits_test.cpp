// The uninstall and reinstall edits on the emulated machine: the RunOnce
// clean-up entry, the install path cut, and the Windows Installer source
// lists, per machine before per user.
#include <gtest/gtest.h>

#include <string>

#include "radozavu.h"
#include "support/machine_test.h"

namespace {

const std::string kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kProduct = "4F2A7D1C9E3B4A5C8D6E0F1A2B3C4D5E";
const std::string kMachineList =
    "SOFTWARE\\Classes\\Installer\\Products\\" + kProduct + "\\SourceList";
const std::string kUserList =
    "Software\\Microsoft\\Installer\\Products\\" + kProduct + "\\SourceList";

using UninstallEditsTest = MachineTest;

TEST_F(UninstallEditsTest, CancelUninstallDeletesOnlyTheCleanUpEntry) {
    EXPECT_EQ(CancelUninstallEX(), 0); // no RunOnce key at all

    registry().setString(HKEY_LOCAL_MACHINE, kRunOnce, "CleanQlClient", "C:\\clean.exe");
    registry().setString(HKEY_LOCAL_MACHINE, kRunOnce, "OtherSetup", "C:\\other.exe");
    registry().setString(HKEY_CURRENT_USER, kRunOnce, "CleanQlClient", "C:\\clean.exe");
    EXPECT_EQ(CancelUninstallEX(), 1);
    EXPECT_EQ(registry().value(HKEY_LOCAL_MACHINE, kRunOnce, "CleanQlClient"), nullptr);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, kRunOnce, "OtherSetup"), nullptr);
    EXPECT_NE(registry().value(HKEY_CURRENT_USER, kRunOnce, "CleanQlClient"), nullptr);
    EXPECT_EQ(CancelUninstallEX(), 0);

    registry().setString(HKEY_LOCAL_MACHINE, kRunOnce, "CleanQlClient", "C:\\clean.exe");
    registry().find(HKEY_LOCAL_MACHINE, kRunOnce)->denyWrite = true;
    EXPECT_EQ(CancelUninstallEX(), 0);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, kRunOnce, "CleanQlClient"), nullptr);
}

TEST_F(UninstallEditsTest, InstallPathLosesAsManyBytesAsTheProductSuffixHas) {
    EXPECT_STREQ(EditCustomizedInstallPathEX("D:\\Apps\\Brevanta\\Quillane\\"), "D:\\Apps\\");
    EXPECT_STREQ(EditCustomizedInstallPathEX("D:\\Apps\\Brevanta\\Quillane"), "D:\\Apps");
    EXPECT_STREQ(EditCustomizedInstallPathEX("D:\\Programs\\Other\\Product\\1234"),
                 "D:\\Programs\\");
    EXPECT_STREQ(EditCustomizedInstallPathEX("Brevanta\\Quillane\\"), "");
    EXPECT_STREQ(EditCustomizedInstallPathEX("C:\\Quillane"), "");
    EXPECT_STREQ(EditCustomizedInstallPathEX(""), "");
    EXPECT_STREQ(EditCustomizedInstallPathEX(nullptr), "");

    // The text stays until the next call of this export, whatever else runs.
    const char *first = EditCustomizedInstallPathEX("E:\\Data\\Brevanta\\Quillane\\");
    CancelUninstallEX();
    EXPECT_STREQ(first, "E:\\Data\\");
}

TEST_F(UninstallEditsTest, InstallPathCutNeverSplitsADoubleByteCharacter) {
    machine().system.codePage = 932;
    // "D:\" and a Shift-JIS character, then 18 bytes, or 17 so that the cut
    // falls between the character's two bytes: then the character goes whole.
    EXPECT_STREQ(EditCustomizedInstallPathEX("D:\\\x83\x5C"
                                             "123456789012345678"),
                 "D:\\\x83\x5C");
    EXPECT_STREQ(EditCustomizedInstallPathEX("D:\\\x83\x5C"
                                             "12345678901234567"),
                 "D:\\");
}

TEST_F(UninstallEditsTest, ReinstallEditChangesNothing) {
    registry().setString(HKEY_LOCAL_MACHINE, kRunOnce, "CleanQlClient", "C:\\clean.exe");
    EXPECT_EQ(EditRegistryOnReinstallEX("C:\\Setup\\"), 0);
    EXPECT_EQ(EditRegistryOnReinstallEX(nullptr), 0);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, kRunOnce, "CleanQlClient"), nullptr);
}

TEST_F(UninstallEditsTest, PackageNameGoesFromTheMachineListBeforeTheUserList) {
    registry().setString(HKEY_LOCAL_MACHINE, kMachineList, "PackageName", "quillane.msi");
    registry().setString(HKEY_LOCAL_MACHINE, kMachineList, "LastUsedSource", "n;1;C:\\Setup\\");
    registry().setString(HKEY_CURRENT_USER, kUserList, "PackageName", "quillane.msi");
    EXPECT_EQ(DeleteRegPackageNameEX(kProduct.c_str()), 1);
    EXPECT_EQ(registry().value(HKEY_LOCAL_MACHINE, kMachineList, "PackageName"), nullptr);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, kMachineList, "LastUsedSource"), nullptr);
    EXPECT_NE(registry().value(HKEY_CURRENT_USER, kUserList, "PackageName"), nullptr);
    // The machine list without the name still counts as done; the user's stays.
    EXPECT_EQ(DeleteRegPackageNameEX(kProduct.c_str()), 1);
    EXPECT_NE(registry().value(HKEY_CURRENT_USER, kUserList, "PackageName"), nullptr);
}

TEST_F(UninstallEditsTest, PackageNameOfAPerUserInstallationAndOfNone) {
    registry().setString(HKEY_CURRENT_USER, kUserList, "PackageName", "quillane.msi");
    EXPECT_EQ(DeleteRegPackageNameEX(kProduct.c_str()), 1);
    EXPECT_EQ(registry().value(HKEY_CURRENT_USER, kUserList, "PackageName"), nullptr);

    EXPECT_EQ(DeleteRegPackageNameEX("00000000000000000000000000000000"), 0);
    EXPECT_EQ(DeleteRegPackageNameEX(nullptr), 0);
    EXPECT_EQ(DeleteRegPackageNameEX(std::string(250, 'A').c_str()), 0);
}

TEST_F(UninstallEditsTest, PackageNameThatCannotBeDeletedIsReportedAsNotDone) {
    registry().setString(HKEY_LOCAL_MACHINE, kMachineList, "PackageName", "quillane.msi");
    registry().setString(HKEY_CURRENT_USER, kUserList, "PackageName", "quillane.msi");
    registry().find(HKEY_LOCAL_MACHINE, kMachineList)->denyWrite = true;
    EXPECT_EQ(DeleteRegPackageNameEX(kProduct.c_str()), 0);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, kMachineList, "PackageName"), nullptr);
    EXPECT_NE(registry().value(HKEY_CURRENT_USER, kUserList, "PackageName"), nullptr);
}

} // namespace
