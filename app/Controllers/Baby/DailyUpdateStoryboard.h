#pragma once

// The storyboard "DailyUpdate":
//   "DailyUpdateViewController"  the daily update of one baby, with the prototype cell
//                                "DailyUpdateStackCell", the calendar item (`presentCalendar:`) and
//                                the charts control, whose segue "showMeasurements" shows
//   "MeasurementsViewController" the measurement charts (a static table of three sections)
//   "NoBabyViewController"       the page the baby pagers show to a member without babies
// Registering again changes nothing.
void registerDailyUpdateStoryboard();

// What the empty-state page says.
inline constexpr const char* kNoBabyTitle = "No Babies Yet";
inline constexpr const char* kNoBabyMessage = "Your babies appear here once they are added to your account.";
