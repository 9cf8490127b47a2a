// The four readers behind the exported functions. Each probes one opened file and collects what
// it finds in `found`; the caller's record is written only afterwards (found_tags.h). Every read
// is bounded by the file and by the object that holds it, and every walk moves forward and ends.
#pragma once

#include "found_tags.h"
#include "media_file.h"

namespace metascan {

// ID3v1 tag in the last 128 bytes. Always true: a file without a tag is read, not rejected.
bool readId3v1(const MediaFile& file, FoundTags& found);

// ASF header object at offset 0. False when the file is not ASF, or its header size is below
// the header's own 30 bytes or reaches past the end of the file.
bool readAsfHeader(const MediaFile& file, FoundTags& found);

// RealMedia chunk list up to its "CONT" chunk. Always true.
bool readRealMediaChunks(const MediaFile& file, FoundTags& found);

// QuickTime/MPEG-4 atom tree. Always true.
bool readQuickTimeAtoms(const MediaFile& file, FoundTags& found);

}  // namespace metascan
