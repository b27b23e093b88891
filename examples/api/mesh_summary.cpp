// Lists the meshes of a shape file: each mesh's name with its vertex and
// triangle counts.
//
//   mesh_summary [<definitions directory>] <shape file>
//
// Loads the definitions from the directory given, or else from the
// installed ones (VEXLOR_DEFINITIONS_DIR, which the CMake package and the
// pkg-config file both name, compiled in by either build of this example),
// reads the file in whichever form it is stored and walks the blocks.
#include <cstdio>
#include <string>

#include "vexlor/vexlor.h"

namespace {

// The definitions to load when no directory is given: the installed ones,
// where the build of this example found them.
#ifdef VEXLOR_DEFINITIONS_DIR
constexpr const char* kInstalledDefinitions = VEXLOR_DEFINITIONS_DIR;
#else
constexpr const char* kInstalledDefinitions = nullptr;
#endif

// The values under a node, at any depth.
std::size_t count_values(const vexlor::Node& node) {
  std::size_t count = 0;
  for (const vexlor::Node& child : node.children()) count += child.is_value() ? 1 : count_values(child);
  return count;
}

// The first block named `token` inside `block`.
vexlor::Node find_block(const vexlor::Node& block, const std::string& token) {
  for (const vexlor::Node& child : block.children()) {
    if (child.kind() == vexlor::NodeKind::kBlock && child.token_name() == token) return child;
  }
  return {};
}

void list_meshes(const vexlor::Node& node) {
  for (const vexlor::Node& child : node.children()) {
    if (child.kind() == vexlor::NodeKind::kBlock && child.token_name() == "Mesh") {
      const vexlor::Node vertices = find_block(child, "Vertices");
      const vexlor::Node faces = find_block(child, "Faces");
      std::printf("%s: %zu vertices, %zu triangles\n", child.block_name().c_str(),
                  vertices ? count_values(vertices) / 3 : 0, faces ? count_values(faces) / 3 : 0);
    } else if (!child.is_value()) {
      list_meshes(child);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool dir_given = argc == 3;
  if (!dir_given && !(argc == 2 && kInstalledDefinitions)) {
    std::fprintf(stderr, "usage: mesh_summary %s<shape file>\n",
                 kInstalledDefinitions ? "[<definitions directory>] " : "<definitions directory> ");
    return 2;
  }
  const std::string definitions_dir = dir_given ? argv[1] : kInstalledDefinitions;
  const char* shape_file = argv[argc - 1];
  vexlor::Error error;
  std::shared_ptr<const vexlor::Definitions> definitions = vexlor::Definitions::load({definitions_dir}, &error);
  if (!definitions) {
    std::fprintf(stderr, "%s\n", error.message.c_str());
    return 1;
  }
  vexlor::Converter converter(definitions);
  std::optional<vexlor::Document> document = converter.read_file(shape_file, &error);
  if (!document) {
    std::fprintf(stderr, "%s", error.message.c_str());
    return 1;
  }
  for (const vexlor::Node& top : document->top()) {
    if (top.kind() == vexlor::NodeKind::kBlock) std::printf("%s %s\n", top.token_name().c_str(), top.block_name().c_str());
    list_meshes(top);
  }
  return 0;
}
