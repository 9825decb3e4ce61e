#include "hosts/sample-host/SampleApp.h"

#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UILabel.h"

namespace {

const std::vector<std::string> kDays = {"Monday", "Tuesday", "Wednesday", "Thursday"};

class DetailViewController : public UIViewController {
public:
    DetailViewController(std::string day, std::vector<std::string>* events)
        : day_(std::move(day)), events_(events) {}

    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        setTitle(day_);
        status_ = std::make_shared<UILabel>();
        status_->setText("Notes for " + day_);
        status_->setFont(UIFont::systemFont(20));
        status_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(status_);
        auto button = std::make_shared<UIButton>(UIButtonType::system);
        button->setTitle("Share", UIControlStateNormal);
        button->setAccessibilityIdentifier("shareButton");
        button->setTranslatesAutoresizingMaskIntoConstraints(false);
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        button->addAction(
            [weakSelf](UIControl*) {
                if (auto s = std::static_pointer_cast<DetailViewController>(weakSelf.lock())) s->share();
            },
            UIControlEventTouchUpInside);
        view()->addSubview(button);
        NSLayoutConstraint::activate({
            status_->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 40),
            status_->centerXAnchor().constraintEqualTo(view()->centerXAnchor()),
            button->topAnchor().constraintEqualTo(status_->bottomAnchor(), 24),
            button->centerXAnchor().constraintEqualTo(view()->centerXAnchor()),
        });
    }

    void share() {
        events_->push_back("share " + day_);
        auto alert = UIAlertController::make("Share " + day_, "Send these notes to the family?",
                                             UIAlertControllerStyle::alert);
        alert->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        alert->addAction(
            UIAlertAction::make("Send", UIAlertActionStyle::default_, [weakSelf](UIAlertAction&) {
                if (auto s = std::static_pointer_cast<DetailViewController>(weakSelf.lock())) {
                    s->events_->push_back("sent " + s->day_);
                    s->status_->setText("Sent to the family");
                }
            }));
        present(alert, true);
    }

private:
    std::string day_;
    std::vector<std::string>* events_;
    std::shared_ptr<UILabel> status_;
};

class ListViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    explicit ListViewController(std::vector<std::string>* events) : events_(events) {}

    void loadView() override {
        table_ = std::make_shared<UITableView>(UIScreen::main().bounds());
        table_->registerCellClass<UITableViewCell>("Day");
        setView(table_);
    }
    void viewDidLoad() override {
        setTitle("Journal");
        table_->setDataSource(static_cast<UITableViewDataSource*>(this));
        table_->setDelegate(static_cast<UITableViewDelegate*>(this));
    }
    void viewWillAppear(bool animated) override {
        UIViewController::viewWillAppear(animated);
        if (auto selected = table_->indexPathForSelectedRow()) table_->deselectRow(*selected, animated);
    }
    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(kDays.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& indexPath) override {
        auto cell = table->dequeueReusableCell("Day", indexPath);
        cell->textLabel()->setText(kDays[static_cast<std::size_t>(indexPath.row)]);
        return cell;
    }
    void didSelectRowAt(UITableView*, const IndexPath& indexPath) override {
        const std::string day = kDays[static_cast<std::size_t>(indexPath.row)];
        events_->push_back("open " + day);
        show(std::make_shared<DetailViewController>(day, events_));
    }

private:
    std::vector<std::string>* events_;
    std::shared_ptr<UITableView> table_;
};

} // namespace

bool SampleAppDelegate::didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) {
    window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
    window_->setBackgroundColor(UIColor::whiteColor());
    auto list = std::make_shared<ListViewController>(&events);
    window_->setRootViewController(UINavigationController::withRoot(list));
    window_->makeKeyAndVisible();
    return true;
}
