#include "seeds.h"

namespace vxfuzz {

// Filled in when the readers are there.
void reader_seeds() {}

}  // namespace vxfuzz
