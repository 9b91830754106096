// The windowing toolkit: include this to build windows.
#pragma once

#include "toolkit/app.h"
#include "toolkit/canvas.h"
#include "toolkit/control.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"
#include "toolkit/resources.h"
#include "toolkit/types.h"
