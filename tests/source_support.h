// The source tree as a test program sees it, and the scripts kept in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hostemu/files.h"

namespace kavro_test {

// The source tree as this (Windows) program sees it: Wine shows the Linux
// root as drive Z:.
inline std::string sourcePath(const std::string& rel) {
    std::string root = KAVRO_SOURCE_DIR;
    if (!root.empty() && root[0] == '/') root = "Z:" + root;
    return root + "/" + rel;
}

// A text file of the source tree, its lines ending in \n.
inline std::string sourceText(const std::string& rel) {
    std::string text = hostemu::readFile(sourcePath(rel));
    std::erase(text, '\r');
    return text;
}

// The names of the scripts (NAME.prg) in a folder of the source tree, sorted.
inline std::vector<std::string> scriptsIn(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(sourcePath(folder), ec))
        if (e.path().extension() == ".prg") out.push_back(e.path().stem().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A script's name as GoogleTest names a test of it.
inline std::string scriptName(const ::testing::TestParamInfo<std::string>& info) {
    std::string n = info.param;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

}  // namespace kavro_test
