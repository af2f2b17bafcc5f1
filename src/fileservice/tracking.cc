// The tracked-files listing, ListTrackedFiles (103).
#include "fileservice/file_session.h"

namespace tarvex {

// Not served yet: ends the session unanswered, like an unknown code.
Status FileSession::ListTrackedFiles() { return 1; }

}  // namespace tarvex
