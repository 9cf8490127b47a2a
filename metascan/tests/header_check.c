/* The public header must compile as C, with the same record layout as in C++. */
#include "metascan/metascan.h"

size_t metascan_tag_info_size_in_c(void);
size_t metascan_duration_offset_in_c(void);

size_t metascan_tag_info_size_in_c(void) { return sizeof(tag_info); }
size_t metascan_duration_offset_in_c(void) { return offsetof(tag_info, duration); }
