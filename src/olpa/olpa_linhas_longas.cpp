// Very long lines (a pasted blob) and the editor.
#include "olpa.h"

void olpa_linhas_longas_liga(void) {}
