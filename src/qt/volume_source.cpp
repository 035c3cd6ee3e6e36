#include "qt/volume_source.h"

#include <QStorageInfo>
#include <algorithm>
#include <array>
#include <string_view>

#include "os/file_system.h"

namespace quorvane::qt {
namespace {

// File systems that hold no user files, or that are only plumbing of the system or of snaps.
bool isPseudo(const QStorageInfo& volume) {
    static constexpr std::array<std::string_view, 20> kTypes = {
        "proc",   "sysfs",   "devtmpfs", "devpts",     "tmpfs",    "cgroup",     "cgroup2",
        "pstore", "debugfs", "tracefs",  "configfs",   "fusectl",  "mqueue",     "hugetlbfs",
        "bpf",    "autofs",  "nsfs",     "securityfs", "squashfs", "binfmt_misc"};
    const QByteArray type = volume.fileSystemType();
    if (std::find(kTypes.begin(), kTypes.end(), std::string_view(type.constData())) !=
        kTypes.end()) {
        return true;
    }
    const QString root = volume.rootPath();
    for (const char* prefix : {"/proc/", "/sys/", "/dev/", "/snap/"}) {
        if (root.startsWith(QLatin1String(prefix)))
            return true;
    }
    // /run holds system state, except the media folders that desktops mount removable drives in.
    return root.startsWith(QLatin1String("/run/")) &&
           !root.startsWith(QLatin1String("/run/media/"));
}

}  // namespace

std::vector<Volume> SystemVolumes::volumes() const {
    std::vector<Volume> result;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || isPseudo(volume))
            continue;
        result.push_back({volume.name(), os::toNativePath(volume.rootPath().toStdU16String())});
    }
    return result;
}

}  // namespace quorvane::qt
