// The key profile exchange file: one profile a file, a `profile` root holding `profileinfo` (the
// name) and `keyitems` (one `item` per key row with its nine fields), in the XML document's own
// form (UTF-8 without a mark, the declaration and CR LF first, one element a line). Building,
// naming and reading are pure functions; StoreImportedProfile puts what a file held into a store.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/xml_document.h"
#include "storage/config_rows.h"

class ConfigDB;

// What a profile file holds: the name and the rows in file order. The rows' profile and key_id
// are 0; the importer sets the profile.
struct ProfileFileContents {
  std::wstring name;
  std::vector<KeyDataRow> rows;
};

// A file with more items than this is refused: a real profile has at most two rows a key.
inline constexpr int kMaxProfileFileItems = 1024;

// The document of a profile named `name`: the rows of `layer0`, then those of `layer1`, each in
// the order given, with their fnlayer as stored in the row. `keyitems` is written also when both
// are empty.
XmlDocument BuildProfileDocument(const std::wstring& name, std::span<const KeyDataRow> layer0,
                                 std::span<const KeyDataRow> layer1);

// Writes BuildProfileDocument's text to `path` through a temporary file renamed into place, so a
// failure leaves an existing file as it was. False when the file could not be written; `log`
// (may be null) then receives the write's log for the caller's diagnostics.
bool WriteProfileFile(const std::wstring& path, const std::wstring& name, std::span<const KeyDataRow> layer0,
                      std::span<const KeyDataRow> layer1, std::wstring* log = nullptr);

// The file an export writes: "<folder>/<name>-<tick>.xml" (no second '/' when `folder` ends in
// one). The name is made safe to stay inside the folder: '/', '\' and control characters become
// '_', the names "", "." and ".." become "_", and a long name is cut after a whole character so
// that the file name is at most 233 bytes of UTF-8: the safe write's temporary file, named after
// it with up to 22 bytes more, must fit the file systems' 255 bytes as well.
std::wstring ProfileExportFileName(const std::wstring& folder, const std::wstring& listText,
                                   std::uint32_t tick);

enum class ProfileReadStatus {
  kOk,
  kUnreadable,    // the file could not be opened or read
  kMalformed,     // not a well-formed document (an empty file included)
  kWrongRoot,     // the root element is not `profile`
  kTooManyItems,  // more than kMaxProfileFileItems items
};
// What a status means, for the log.
const char* ProfileReadStatusName(ProfileReadStatus status);

// Reads a profile file. The first `profileinfo` and the first `keyitems` among the root's children
// count, in either order; the `item`s of that `keyitems` are taken in document order; anything
// else is ignored. A missing name reads as empty, missing or non-numeric numbers as 0; values are
// not checked. `out` is set only for kOk.
ProfileReadStatus ReadProfileFile(const std::wstring& path, ProfileFileContents* out);
// The same for a document text (as ReadProfileFile decodes a file).
ProfileReadStatus ParseProfileText(std::u16string text, ProfileFileContents* out);

// Creates a user profile {name, app ""} and stores the rows under it in one transaction, a later
// row of the same key and layer replacing an earlier one. Returns the new profile id, or 0 when
// the store refused the profile or any row (nothing of it is stored then).
int StoreImportedProfile(ConfigDB& db, const ProfileFileContents& contents);
