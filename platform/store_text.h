#pragma once
// The text form of a store file: UTF-8, one "[key\path]" line per key followed by its values,
//   Name = dword:0xFFFFFF80
//   SkinPath = sz:"/home/ann/.local/share/TEV/Marovellastrine/Skins/default_240.scs"
//   "odd name" = hex(1):61,00,62
// `sz` holds a string's UTF-16 units without the terminator the stored data ends with; `hex`
// holds any other data byte by byte with its type number. Names that aren't plain words and all
// strings are quoted, with \" \\ \0 \n \r \t and \uXXXX (other control characters and unpaired
// surrogates), so every value comes back with exactly the bytes it was written with.

#include "platform/store_document.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace mv {

// Fills `document` from a file's bytes. False (and an empty document) when any line can't be
// understood or the bytes aren't valid UTF-8.
bool ParseStoreText(std::span<const uint8_t> bytes, StoreDocument& document);

// The file's bytes for `document`, starting with a comment line naming the root.
std::vector<uint8_t> FormatStoreText(const StoreDocument& document, std::string_view rootName);

} // namespace mv
