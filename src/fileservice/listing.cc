// Directory and drive listings, ListDirectory (108) and ListDrives (109).
#include "fileservice/file_session.h"

namespace tarvex {

// Not served yet: end the session unanswered, like an unknown code.
Status FileSession::ListDirectory() { return 1; }
Status FileSession::ListDrives() { return 1; }

}  // namespace tarvex
