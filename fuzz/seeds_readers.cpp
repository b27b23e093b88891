// Seeds of the targets that parse grammars or read token files against the
// fixed grammars.
#include <string>

#include "fuzz_support.h"
#include "seeds.h"

namespace vxfuzz {

namespace {

void grammar_seeds() {
  for (const auto& [name, bytes] : source_files("defs")) {
    if (name.ends_with(".bnf")) put_seed("grammar_parse_fuzz", name, bytes);
  }
  fixture_grammars();
  put_seed("grammar_parse_fuzz", "recursive.bnf", read_file("recursive.bnf"));
  const char* const hand_made[] = {
      "FILE_TYPE = 0x41 . FILE_TYPE_VER = 65 . FILE = .",
      "FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\nFILE = a b | c d .\nEOF\n",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = ( a ) | b . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = :ARRAY ( :uint :float ) ,v :INDEX ( v ) ,i . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = :Thing . thing = [ x ] { :uint } ( \"s\"+ \"t\" ) . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = { :Node } . Node ==> :Node | :Leaf . Leaf ==> :string .",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . A = x B = y . FILE = /* c /* d */ */ :A // e\n . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = ( | x ) . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = ((((((((((( x ))))))))))) . EOF",
  };
  int i = 0;
  for (const char* text : hand_made) {
    put_seed("grammar_parse_fuzz", "hand" + std::to_string(i++), "\xFF\xFE" + widen(text));
  }
}

}  // namespace

void reader_seeds() { grammar_seeds(); }

}  // namespace vxfuzz
