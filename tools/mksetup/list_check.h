// Checks a plain file list (the text that "setup.drc" is the scramble of) for
// what would make the installer stop, refuse the list or do something else
// than its author meant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ListIssue {
    int line = 0;          // 1-based
    bool error = false;    // false: a warning
    std::string message;
};

// Answers whether an F record's source name is among the files to pack.
using SourceFinder = std::function<bool(const std::string& source)>;

// The issues of the list, in line order.  With an empty findSource the
// sources are not looked for.
std::vector<ListIssue> CheckList(const uint8_t* data, size_t size, const SourceFinder& findSource = nullptr);

// The source names of the list's F records, each once, in list order.
std::vector<std::string> ListSources(const uint8_t* data, size_t size);
