#pragma once

// Everything the controls library offers, for app code that builds interactive screens.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/IndexPath.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIControl.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UINib.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UISearchBar.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/controls/UISwitch.h"
#include "uikit/controls/UITableView.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/UIKit.h"
