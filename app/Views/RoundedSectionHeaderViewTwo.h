#pragma once

// The expandable section header of the NICU journey: the title and the chevron on a card face,
// without an icon (see RoundedSectionHeaderBase). Its nib is "RoundedSectionHeaderViewTwo";
// tables dequeue it as "header".

#include "Views/RoundedSectionHeaderBase.h"

class RoundedSectionHeaderViewTwo : public RoundedSectionHeaderBase {
public:
    using RoundedSectionHeaderBase::RoundedSectionHeaderBase;
    std::string className() const override { return "RoundedSectionHeaderViewTwo"; }
};
