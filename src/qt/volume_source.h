#pragma once

#include <QString>
#include <filesystem>
#include <vector>

namespace quorvane::qt {

// A "drive" of the drive list: a mounted volume, by its label and the folder it is mounted on.
struct Volume {
    QString name;
    std::filesystem::path root;
};

// Where the drive list learns which volumes the machine has; tests bring their own.
class VolumeSource {
  public:
    virtual ~VolumeSource() = default;
    virtual std::vector<Volume> volumes() const = 0;
};

// The volumes mounted on this machine that hold files: the root, removable media, network
// mounts; not the kernel's pseudo file systems.
class SystemVolumes final : public VolumeSource {
  public:
    std::vector<Volume> volumes() const override;
};

}  // namespace quorvane::qt
