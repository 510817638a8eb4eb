#pragma once

#include "Seams.h"

namespace quorvane {

class TPosixFileSystem final : public IFileSystem
{
public:
    bool FileExists(const std::string &path) const override;
    std::string ReadFile(const std::string &path) const override;
};

} // namespace quorvane
