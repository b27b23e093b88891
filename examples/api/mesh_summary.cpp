// Lists the meshes of a shape file: each mesh's name with its vertex and
// triangle counts.
//
//   mesh_summary <definitions directory> <shape file>
//
// Loads the definitions from the directory given (the installed ones are
// in VEXLOR_DEFINITIONS_DIR, which the CMake package and the pkg-config
// file both name), reads the file in whichever form it is stored and walks
// the blocks.
#include <cstdio>
#include <string>

#include "vexlor/vexlor.h"

namespace {

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
  if (argc != 3) {
    std::fprintf(stderr, "usage: mesh_summary <definitions directory> <shape file>\n");
    return 2;
  }
  vexlor::Error error;
  std::shared_ptr<const vexlor::Definitions> definitions = vexlor::Definitions::load({argv[1]}, &error);
  if (!definitions) {
    std::fprintf(stderr, "%s\n", error.message.c_str());
    return 1;
  }
  vexlor::Converter converter(definitions);
  std::optional<vexlor::Document> document = converter.read_file(argv[2], &error);
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
