// The seed writer's pieces shared between its files.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vxfuzz {

void put_seed(const std::string& target, const std::string& name, std::string_view bytes);
// (file name, bytes) of every file under the repository's `dir`.
std::vector<std::pair<std::string, std::string>> source_files(const std::string& dir);
// Seeds of the targets that read against the fixed grammars.
void reader_seeds();

}  // namespace vxfuzz
