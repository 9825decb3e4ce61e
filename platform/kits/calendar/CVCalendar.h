#pragma once

// The month calendar kit: the day grid, the weekday row, days and their delegates.

#include "kits/calendar/CVCalendarDayView.h"
#include "kits/calendar/CVCalendarDelegates.h"
#include "kits/calendar/CVCalendarMenuView.h"
#include "kits/calendar/CVCalendarView.h"
#include "kits/calendar/CVDate.h"
