#include "app/convert.h"

#include "common/report.h"

int convert_file() {
  print_error(u"Failed to load file %s\n", u"");
  return 0;
}
