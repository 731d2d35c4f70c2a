#pragma once
// Patch text: a readable, editable form of a patch document. dump_patch_text
// prints a document; compile_patch_text builds one back. Writing the compiled
// document gives the same archive bytes as the document that was printed, for
// any archive at the current version whose classes this build can read. The
// format is described in docs/patch-text.md.

#include <memory>
#include <stdexcept>
#include <string>

namespace tf {

class CTessaformDocVST;

class PatchTextError : public std::runtime_error {
public:
    PatchTextError(int line, const std::string& what);
    int line() const { return line_; }

private:
    int line_;
};

// Prints the document. Throws PatchTextError for a document it cannot print
// (an object of a class the text has no statement for, a wire without ends).
std::string dump_patch_text(const CTessaformDocVST& doc);

// Builds a document from patch text. Throws PatchTextError naming the line.
// The document is as it would be stored: no post-load pass has run on it.
std::unique_ptr<CTessaformDocVST> compile_patch_text(const std::string& text);

}  // namespace tf
