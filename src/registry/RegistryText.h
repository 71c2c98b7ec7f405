#pragma once
// The registry text format that carries key trees inside a backup: one line per record,
// CR LF, bytes in the ANSI code page. A key header is a backslash and the key's path below
// the exported key (a lone backslash for the exported key itself); a value line is the
// quoted name, then "= sz:", "=esz:", "=bin:" or "= dw:" and the data. Keys come depth
// first, each header followed by its key's values.
//
// A value those four lines cannot give back exactly (a text with a line break or without
// its zero byte, a name with "=" or a line break, a number not of four bytes, any other
// type) is written on a line that readers knowing only the four tags skip:
// "name"=raw:<type code>:<bytes as "bin" writes them>, or with empty quotes and the name's
// bytes as a third field after another ":" when the name cannot stand between the quotes.
// The import reads these back exactly, and so older files' texts split over several lines.
#include <string>
#include <string_view>

namespace quarnel::registry {

// Writes the tree below the full key name into a new file at filePath (an existing file is
// deleted first). Throws RegistryError when the file cannot be replaced or written, or when
// listing a key's sub-keys or values fails other than by reaching their end (the file then
// lacks part of the tree and must not be used).
void ExportKeyTree(std::string_view key, const std::string& filePath);

// Appends the value lines of one key; nothing when the key cannot be opened.
// Throws RegistryError when the file cannot be written or the values cannot be listed.
void ExportKeyValues(std::string_view key, const std::string& filePath);

// Replaces the tree at the target key with the file's contents (a file that begins with
// the lone backslash header replaces the whole tree; any other only adds and overwrites).
// The whole file is read and checked first: a file that cannot be read or holds a
// malformed line throws RegistryError before anything in the registry is touched, and so
// does a target that is a root key alone. When the registry refuses a key or a value on
// the way, the target's tree is put back as it was and RegistryError thrown.
void ImportKeyFile(std::string_view targetKey, const std::string& filePath);

}  // namespace quarnel::registry
