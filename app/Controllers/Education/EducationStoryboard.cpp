#include "Controllers/Education/EducationStoryboard.h"

#include "Controllers/Education/EducationCenterPageViewController.h"
#include "Controllers/Education/EducationCenterParentViewController.h"

void addEducationScenes(UIStoryboard::Definition& main) {
    main.scene("EducationCenterParentViewController",
               [] { return std::make_shared<EducationCenterParentViewController>(); });
    main.scene("EducationCenterPageViewController",
               [] { return std::make_shared<EducationCenterPageViewController>(); });
    UIStoryboard::SegueDefinition contained("EducationCenterPageViewController", UIStoryboardSegue::Kind::embed);
    contained.container = [](UIViewController& source) -> std::shared_ptr<UIView> {
        auto* parent = dynamic_cast<EducationCenterParentViewController*>(&source);
        return parent ? parent->containerView() : nullptr;
    };
    main.segue("EducationCenterParentViewController", EducationCenterParentViewController::kContainedId,
               std::move(contained));
}
