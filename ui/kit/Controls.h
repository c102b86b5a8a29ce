// Every kind of control the program's windows are built from.
#pragma once

#include "ui/kit/Buttons.h"
#include "ui/kit/ComboBox.h"
#include "ui/kit/Control.h"
#include "ui/kit/Image.h"
#include "ui/kit/Label.h"
#include "ui/kit/Surface.h"
#include "ui/kit/TextBox.h"
#include "ui/kit/Timer.h"
#include "ui/kit/WindowedControl.h"
