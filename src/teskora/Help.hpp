#ifndef TESKORA_HELP_HPP
#define TESKORA_HELP_HPP

#include <string>

namespace TESKORA
{

// Number of entries of the help table.
int dim_help_data();

// A newly allocated table of dim_help_data() entries, each a newly allocated
// array of three strings: keyword, related words, text. The caller releases
// each entry and then the table with delete[].
std::string** get_help_data();

} // namespace TESKORA

#endif
