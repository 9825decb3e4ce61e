#pragma once

// "FAQ": a page that says "Coming soon". Nothing opens it yet.

#include "uikit/controllers/UIViewController.h"

class FAQViewController : public UIViewController {
public:
    std::string className() const override { return "FAQViewController"; }
    void viewDidLoad() override;
};
