#include "document/archive.h"

namespace tf {

const char* archive_error_text(ArchiveError cause) {
    switch (cause) {
    case ArchiveError::end_of_file: return "unexpected end of archive";
    case ArchiveError::bad_index: return "bad object index in archive";
    case ArchiveError::bad_class: return "bad class in archive";
    case ArchiveError::bad_schema: return "bad schema in archive";
    case ArchiveError::wrong_direction: return "wrong archive direction";
    case ArchiveError::generic: return "malformed archive";
    }
    return "malformed archive";
}

CArchiveException::CArchiveException(ArchiveError cause, std::string detail)
    : cause_(cause), message_(archive_error_text(cause)) {
    if (!detail.empty()) {
        message_ += ": ";
        message_ += detail;
    }
}

}  // namespace tf
