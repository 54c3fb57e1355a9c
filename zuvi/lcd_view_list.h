// LCDViewList: the list of the screen's animation slots. A list box so far; one row a slot.
#pragma once

#include "zuvi/list_box.h"

class LCDViewList : public QelListBox {};
