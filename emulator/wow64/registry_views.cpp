#include "emulator/wow64/registry_views.h"

#include <algorithm>
#include <iterator>

#include "emulator/case_less.h"
#include "emulator/text.h"
#include "emulator/wow64/wow64.h"

namespace emu {
namespace {

// The keys below HKLM\SOFTWARE that both views share (Windows 7 and later);
// every other key below it is redirected. Classes is shared but for the
// keys of kRedirectedClasses.
const char *const kSharedSoftware[] = {
    "Classes",
    "Clients",
    "Microsoft\\COM3",
    "Microsoft\\Cryptography\\Calais\\Current",
    "Microsoft\\Cryptography\\Calais\\Readers",
    "Microsoft\\Cryptography\\Services",
    "Microsoft\\CTF\\SystemShared",
    "Microsoft\\CTF\\TIP",
    "Microsoft\\DFS",
    "Microsoft\\Driver Signing",
    "Microsoft\\EnterpriseCertificates",
    "Microsoft\\EventSystem",
    "Microsoft\\MSMQ",
    "Microsoft\\Non-Driver Signing",
    "Microsoft\\Notepad\\DefaultFonts",
    "Microsoft\\OLE",
    "Microsoft\\RAS",
    "Microsoft\\RPC",
    "Microsoft\\SOFTWARE\\Microsoft\\Shared Tools\\MSInfo",
    "Microsoft\\SystemCertificates",
    "Microsoft\\TermServLicensing",
    "Microsoft\\Transaction Server",
    "Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    "Microsoft\\Windows\\CurrentVersion\\Group Policy",
    "Microsoft\\Windows\\CurrentVersion\\Policies",
    "Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Setup",
    "Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    "Microsoft\\Windows NT\\CurrentVersion\\Console",
    "Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    "Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    "Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    "Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    "Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
    "Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    "Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "Microsoft\\Windows NT\\CurrentVersion\\Print",
    "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
    "Policies",
    "RegisteredApplications",
};

// The keys of a Classes key (HKLM\SOFTWARE\Classes, a user's
// Software\Classes) that are redirected to its Wow6432Node.
const char *const kRedirectedClasses[] = {"CLSID", "DirectShow", "Interface", "Media Type",
                                          "MediaFoundation"};

// A key below which WOW64 keeps a Wow6432Node: the number of path parts
// that lead to it, and the name its Wow6432Node has.
struct RedirectPoint {
    std::size_t depth;
    const char *node;
    bool softwareRules; // HKLM\SOFTWARE's rules, else those of a Classes key
};

// The redirect points on a path below root, shallowest first.
std::vector<RedirectPoint> redirectPoints(HKEY root, const std::vector<std::string> &parts) {
    std::vector<RedirectPoint> points;
    const auto classesAt = [&](std::size_t at) {
        return parts.size() > at + 1 && equalNoCase(parts[at], "Software") &&
               equalNoCase(parts[at + 1], "Classes");
    };
    if (root == HKEY_LOCAL_MACHINE && !parts.empty() && equalNoCase(parts[0], "SOFTWARE")) {
        points.push_back({1, kWow64Node, true});
    }
    if (root == HKEY_LOCAL_MACHINE && classesAt(0)) {
        points.push_back({2, "Wow6432Node", false});
    }
    if (root == HKEY_CURRENT_USER && classesAt(0)) {
        points.push_back({2, "Wow6432Node", false});
    }
    if (root == HKEY_USERS && classesAt(1)) {
        points.push_back({3, "Wow6432Node", false});
    }
    return points;
}

// Whether the parts from a redirect point on start with a key of the list
// (each written with backslashes).
template <class List>
bool startsWithListed(const std::vector<std::string> &parts, std::size_t from, const List &list) {
    return std::any_of(std::begin(list), std::end(list), [&](const char *listed) {
        return startsWithNames(parts, from, splitKeyPath(listed));
    });
}

bool isRedirected(const RedirectPoint &point, const std::vector<std::string> &parts) {
    return point.softwareRules ? !startsWithListed(parts, point.depth, kSharedSoftware)
                               : startsWithListed(parts, point.depth, kRedirectedClasses);
}

} // namespace

bool uses32BitView(REGSAM access) { return underWow64() && (access & KEY_WOW64_64KEY) == 0; }

std::vector<std::string> storedKeyPath(HKEY &root, const std::vector<std::string> &parts,
                                       bool view32) {
    std::vector<std::string> path = parts;
    if (root == HKEY_CLASSES_ROOT) {
        root = HKEY_LOCAL_MACHINE;
        path.insert(path.begin(), {"SOFTWARE", "Classes"});
    }
    if (!underWow64()) {
        return path;
    }
    // A Wow6432Node written in the path names the 32-bit view of what follows.
    for (std::size_t depth = 0; depth < path.size(); ++depth) {
        for (const RedirectPoint &point : redirectPoints(root, path)) {
            if (point.depth == depth && depth < path.size() &&
                equalNoCase(path[depth], "Wow6432Node")) {
                path.erase(path.begin() + static_cast<std::ptrdiff_t>(depth));
                view32 = true;
            }
        }
    }
    if (!view32) {
        return path;
    }
    for (const RedirectPoint &point : redirectPoints(root, path)) {
        if (path.size() > point.depth && isRedirected(point, path)) {
            path.insert(path.begin() + static_cast<std::ptrdiff_t>(point.depth), point.node);
            break;
        }
    }
    return path;
}

std::string storedKeyPath(HKEY &root, const std::string &path, bool view32) {
    std::string joined;
    for (const std::string &part : storedKeyPath(root, splitKeyPath(path), view32)) {
        joined += (joined.empty() ? "" : "\\") + part;
    }
    return joined;
}

bool hiddenInView(const std::string &subkeyName, bool view32) {
    return view32 && underWow64() && equalNoCase(subkeyName, kWow64Node);
}

} // namespace emu
