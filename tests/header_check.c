/* The public C headers must stand on their own in a C translation unit. */
#include "nrwapis.h"
#include "scc_api.h"

int header_check_uses_types(NRWAPIS_Session* session, LPTEXTOUTPROC text_out);
