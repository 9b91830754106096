// The windowing toolkit: include this to build windows.
#pragma once

#include "toolkit/app.h"
#include "toolkit/canvas.h"
#include "toolkit/control.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"
#include "toolkit/resources.h"
#include "toolkit/types.h"
#include "toolkit/dialogs.h"
#include "toolkit/edit.h"
#include "toolkit/lists.h"
#include "toolkit/number_entry.h"
#include "toolkit/number_text.h"
#include "toolkit/save_dialog.h"
#include "toolkit/tables.h"
#include "toolkit/value_labels.h"
