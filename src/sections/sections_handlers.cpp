// The section summary on the passport window.

#include "app/guard.h"
#include "app/pasport.h"
#include "sections/subjects.h"
#include "ui_pasport.h"

void TPasport::connectSections() {}
void TPasport::Button3Click() {}
