#pragma once

// The education library's search tab. An opener may hand it a query to run as it is shown
// (`initialQuery`).
//
// For now it shows its title only; the search comes with the library's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

#include <optional>
#include <string>

class EducationCenterSearchViewController : public PlaceholderViewController {
public:
    EducationCenterSearchViewController() : PlaceholderViewController("Search") {}

    std::optional<std::string> initialQuery;
};
