// The preview page, opened in the user's browser.

#include "app/guard.h"
#include "app/pasport.h"
#include "ui_pasport.h"

void TPasport::connectPreview() {}
void TPasport::PreviewClick() {}
