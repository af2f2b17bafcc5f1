// The download request, GetFile (102).
#include "fileservice/file_session.h"

namespace tarvex {

// Not served yet: ends the session unanswered, like an unknown code.
Status FileSession::GetFile() { return 1; }

}  // namespace tarvex
