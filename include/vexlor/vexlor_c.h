/* Vexlor's C interface: the library behind opaque handles, for programs in
 * C and for other languages through their foreign-function interfaces.
 *
 * Ownership: every handle a function returns belongs to the caller, who
 * releases it with the matching _free function (null is accepted there).
 * A document keeps its definitions alive; a node is a value that stays
 * valid while its document does.
 *
 * Errors: a function that can fail returns null or 0 and, when `error` is
 * not null, sets *error to a new error handle (or to null on success).
 * No C++ exception ever crosses this interface; memory running out is
 * reported as VEXLOR_E_OUT_OF_MEMORY.
 *
 * Threads: definitions may be shared by any number of threads; everything
 * else may be used by one thread at a time, or read by several at once.
 * Texts are UTF-8, terminated.
 */
#ifndef VEXLOR_VEXLOR_C_H
#define VEXLOR_VEXLOR_C_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(VEXLOR_SHARED)
#if defined(VEXLOR_BUILDING)
#define VEXLOR_C_API __declspec(dllexport)
#else
#define VEXLOR_C_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VEXLOR_C_API __attribute__((visibility("default")))
#else
#define VEXLOR_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vexlor_definitions vexlor_definitions;
typedef struct vexlor_document vexlor_document;
typedef struct vexlor_error vexlor_error;

/* A node of a document, by value. */
typedef struct vexlor_node {
  const void* opaque[3];
  unsigned int index;
} vexlor_node;

enum {
  VEXLOR_E_NONE = 0,
  VEXLOR_E_INVALID_ARGUMENT,
  VEXLOR_E_CONFIGURATION,
  VEXLOR_E_SIDN,
  VEXLOR_E_TOKEN_DEFINITIONS,
  VEXLOR_E_NO_GRAMMARS,
  VEXLOR_E_CANNOT_OPEN,
  VEXLOR_E_NO_GRAMMAR_FOR_TYPE,
  VEXLOR_E_READ_FAILED,
  VEXLOR_E_CANNOT_WRITE,
  VEXLOR_E_WRITE_FAILED,
  VEXLOR_E_OUT_OF_MEMORY
};

enum { VEXLOR_FORM_TEXT = 0, VEXLOR_FORM_BINARY = 1, VEXLOR_FORM_JSON = 2 };
enum { VEXLOR_COMPRESSION_NONE = 0, VEXLOR_COMPRESSION_ZLIB = 1, VEXLOR_COMPRESSION_HUFFMAN = 2 };

enum {
  VEXLOR_NODE_BLOCK = 0,
  VEXLOR_NODE_ARRAY,
  VEXLOR_NODE_LITERAL,
  VEXLOR_NODE_STRING,
  VEXLOR_NODE_SINT,
  VEXLOR_NODE_UINT,
  VEXLOR_NODE_DWORD,
  VEXLOR_NODE_BYTE,
  VEXLOR_NODE_FLOAT,
  VEXLOR_NODE_TOKEN
};

/* Definitions from `count` directories in order ("" or "." is the working
 * directory), or by the vexlor program's rules (the working directory,
 * then `program_dir`; null or "" for the working directory only). */
VEXLOR_C_API vexlor_definitions* vexlor_definitions_load(const char* const* directories, size_t count,
                                                         vexlor_error** error);
VEXLOR_C_API vexlor_definitions* vexlor_definitions_load_like_program(const char* program_dir, vexlor_error** error);
VEXLOR_C_API void vexlor_definitions_free(vexlor_definitions* definitions);

/* Reading a token file; `name` names bytes in memory in messages. */
VEXLOR_C_API vexlor_document* vexlor_read_file(const vexlor_definitions* definitions, const char* path,
                                               vexlor_error** error);
VEXLOR_C_API vexlor_document* vexlor_read_memory(const vexlor_definitions* definitions, const void* bytes,
                                                 size_t size, const char* name, vexlor_error** error);
VEXLOR_C_API void vexlor_document_free(vexlor_document* document);

/* Writing a document in a form (VEXLOR_FORM_*) with a compression
 * (VEXLOR_COMPRESSION_*; JSON only with none). Returns 1 on success. The bytes written to memory
 * are released with vexlor_bytes_free. */
VEXLOR_C_API int vexlor_write_file(const vexlor_document* document, const char* path, int form, int compression,
                                   vexlor_error** error);
VEXLOR_C_API int vexlor_write_memory(const vexlor_document* document, int form, int compression, void** bytes,
                                     size_t* size, vexlor_error** error);
VEXLOR_C_API void vexlor_bytes_free(void* bytes);

/* The document's body header: its file type and version. */
VEXLOR_C_API int vexlor_document_file_type(const vexlor_document* document);
VEXLOR_C_API int vexlor_document_file_version(const vexlor_document* document);

/* Walking: the first node at the top of the file, then siblings and
 * children (the content of blocks and arrays). A node that is none gives 0
 * from vexlor_node_valid. */
VEXLOR_C_API vexlor_node vexlor_document_first(const vexlor_document* document);
VEXLOR_C_API int vexlor_node_valid(vexlor_node node);
VEXLOR_C_API vexlor_node vexlor_node_next(vexlor_node node);
VEXLOR_C_API vexlor_node vexlor_node_first_child(vexlor_node node);
VEXLOR_C_API int vexlor_node_kind(vexlor_node node);
VEXLOR_C_API uint32_t vexlor_node_token_id(vexlor_node node);
/* The number as the binary form stores it (see vexlor.h). */
VEXLOR_C_API uint32_t vexlor_node_bits(vexlor_node node);
/* Texts into `buffer` of `capacity` bytes (terminated, cut when short);
 * each returns the length the whole text needs, without the terminator. */
VEXLOR_C_API size_t vexlor_node_token_name(vexlor_node node, char* buffer, size_t capacity);
VEXLOR_C_API size_t vexlor_node_block_name(vexlor_node node, char* buffer, size_t capacity);
VEXLOR_C_API size_t vexlor_node_text(vexlor_node node, char* buffer, size_t capacity);

/* Errors. The texts stay valid until the error is released. */
VEXLOR_C_API int vexlor_error_code(const vexlor_error* error);
VEXLOR_C_API const char* vexlor_error_message(const vexlor_error* error);
VEXLOR_C_API const char* vexlor_error_file(const vexlor_error* error);
VEXLOR_C_API uint32_t vexlor_error_position(const vexlor_error* error);
VEXLOR_C_API void vexlor_error_free(vexlor_error* error);

#ifdef __cplusplus
}
#endif

#endif
