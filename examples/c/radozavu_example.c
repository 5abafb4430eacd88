/* A C caller of RADOZAVU.DLL, linked against its import library:
 *
 *   i686-w64-mingw32-gcc -Iinclude radozavu_example.c -Llib -lradozavu -o example.exe
 *   (MSVC: cl /Iinclude radozavu_example.c lib\RADOZAVU.lib)
 *
 * Run it with RADOZAVU.DLL beside it. It asks the library a few questions,
 * prints the answers, and exits with 0 when each answer is the one the
 * reference gives, else with the number of answers that differ. */
#include <stdio.h>
#include <string.h>

#include "radozavu.h"

static int differs(const char *what, const char *answer, const char *expected) {
    printf("%-40s %s\n", what, answer != NULL ? answer : "(null)");
    return answer == NULL || strcmp(answer, expected) != 0;
}

static int differsNumber(const char *what, int answer, int expected) {
    printf("%-40s %d\n", what, answer);
    return answer != expected;
}

int main(void) {
    int failures = 0;
    SetupCallRecord record;

    failures += differs("Default install folder", HKSetupGetDefaultInstallLocation(),
                        "C:\\Program Files\\Brevanta\\Quillane");
    failures += differs("Build 55 in letters", HKGetStringFromNumber(55), "FF");
    failures += differsNumber("\"FF\" as a number", HKGetNumberFromString("FF"), 55);
    /* No QLNSETUP.INI in C:\Nowhere\: the getter gives its default. */
    failures += differs("Program group", GetProgramGroup("C:\\Nowhere\\"), "Quillane");
    failures +=
        differsNumber("Is C: a folder to install into?", HKSetupValidateLocalDirectoryEX("C:"), 1);

    /* A record-taking export: the record carries the owner window of any
     * message box and the parameter text. */
    memset(&record, 0, sizeof record);
    record.OwnerWindow = NULL;
    record.ParamText = "C:\\Program Files\\Quillane";
    failures += differsNumber("Is C:\\Program Files\\Quillane one?",
                              HKSetupValidateLocalDirectory(&record), 0);
    return failures;
}
