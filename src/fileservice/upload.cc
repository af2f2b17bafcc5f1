// The upload request, PutFile (101).
#include "fileservice/file_session.h"

namespace tarvex {

// Not served yet: ends the session unanswered, like an unknown code.
Status FileSession::PutFile() { return 1; }

}  // namespace tarvex
