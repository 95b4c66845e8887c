#include "helpview.h"
HelpView::HelpView(const QString &) {}
