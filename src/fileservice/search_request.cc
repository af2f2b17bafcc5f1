// The desktop search request, DesktopSearch (105).
#include "fileservice/file_session.h"

namespace tarvex {

// Not served yet: ends the session unanswered, like an unknown code.
Status FileSession::DesktopSearch() { return 1; }

}  // namespace tarvex
