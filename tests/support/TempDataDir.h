#pragma once
// A fresh data folder for one test, named to the editor through
// HALVORAN_DATA_DIR and removed with everything in it afterwards.
#include <filesystem>
#include <memory>
#include <string>

#include "support/ScopedEnv.h"

namespace hvtest {

class TempDataDir {
public:
    TempDataDir();
    ~TempDataDir();
    TempDataDir(const TempDataDir&) = delete;
    TempDataDir& operator=(const TempDataDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path with a trailing separator, as the editor joins names to it.
    std::string str() const { return path_.string() + "/"; }

    // Writes a file below the folder, making its parent folders.
    std::filesystem::path write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;

private:
    std::filesystem::path path_;
    std::unique_ptr<ScopedEnv> env_;
};

}  // namespace hvtest
