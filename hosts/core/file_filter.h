// The module's file filter, "*.gif|*.webp": which files a host offers it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class FileFilter {
  public:
    // Patterns separated by '|', each with '*' (any run) and '?' (one character), matched
    // against the file name without regard to ASCII case.
    explicit FileFilter(std::string_view patterns);

    bool Accepts(const std::filesystem::path& file) const;
    const std::vector<std::string>& patterns() const { return patterns_; }

  private:
    std::vector<std::string> patterns_;
};
