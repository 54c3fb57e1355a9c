// The fuzzing harnesses of XmlDocument as plain functions: libFuzzer calls them from the targets
// in this folder, and the unit tests replay the seeds, the regression inputs and random inputs
// through them. Each aborts with a message when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class XmlDocument;

namespace xml_fuzz {

// (a) The input as UTF-16LE units or, when its first byte is odd, as UTF-8 through ConvertText:
// parse, walk every element reading attributes and data, edit the current element, parse again.
void FuzzParse(const uint8_t* data, size_t size);
// (b) The input as a whole file through the byte-level read path, then parse.
void FuzzRead(const uint8_t* data, size_t size);
// (c) The input drives the building calls; then the fresh-parse oracle and the values set.
void FuzzBuild(const uint8_t* data, size_t size);

// Aborts unless every record lies inside the text and inside its parent, siblings are in text
// order and disjoint, the links agree and the log stays within its cap plus one entry.
void CheckInvariants(const XmlDocument& doc);
// Empty when a fresh parse of the document's text gives the same tree (extents, parents, order)
// as its live table; otherwise a description of the first difference.
std::string CompareWithFreshParse(const XmlDocument& doc);

}  // namespace xml_fuzz
