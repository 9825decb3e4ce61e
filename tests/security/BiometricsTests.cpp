#include "security/biometrics/LAContext.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

struct Outcome {
    bool success = false;
    std::optional<NSError> error;
    std::thread::id thread;
};

Outcome evaluate(const std::string& reason = "Login with Touch ID") {
    std::promise<Outcome> promise;
    LAContext context;
    context.evaluatePolicy(
        LAPolicy::deviceOwnerAuthenticationWithBiometrics, reason,
        [&promise](bool success, std::optional<NSError> error) {
            promise.set_value(Outcome{success, std::move(error), std::this_thread::get_id()});
        });
    auto future = promise.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    return future.get();
}

class BiometricsTest : public ::testing::Test {
protected:
    void TearDown() override { cw::setBiometricAnswers({}); }
};

TEST_F(BiometricsTest, WithoutASensorNothingCanBeEvaluated) {
    LAContext context;
    std::optional<NSError> error;
    EXPECT_FALSE(context.canEvaluatePolicy(LAPolicy::deviceOwnerAuthenticationWithBiometrics, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, LAErrorDomain);
    EXPECT_EQ(error->code, LAError::biometryNotAvailable);
    EXPECT_EQ(context.biometryType(), LABiometryType::none);

    cw::setBiometricAnswers({LABiometryType::touchID, LAError::biometryNotEnrolled, std::nullopt});
    EXPECT_FALSE(context.canEvaluatePolicy(LAPolicy::deviceOwnerAuthenticationWithBiometrics, &error));
    EXPECT_EQ(error->code, LAError::biometryNotEnrolled);
    EXPECT_EQ(context.biometryType(), LABiometryType::touchID);
    const Outcome outcome = evaluate();
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.error->code, LAError::biometryNotEnrolled);
}

TEST_F(BiometricsTest, AnswersAsTheHostSaysOnAnotherThread) {
    cw::setBiometricAnswers({LABiometryType::touchID, std::nullopt, std::nullopt});
    LAContext context;
    std::optional<NSError> error;
    EXPECT_TRUE(context.canEvaluatePolicy(LAPolicy::deviceOwnerAuthenticationWithBiometrics, &error));
    EXPECT_FALSE(error);
    EXPECT_EQ(context.biometryType(), LABiometryType::touchID);

    const Outcome match = evaluate();
    EXPECT_TRUE(match.success);
    EXPECT_FALSE(match.error);
    EXPECT_NE(match.thread, std::this_thread::get_id());

    for (auto code : {LAError::authenticationFailed, LAError::userCancel, LAError::userFallback,
                      LAError::systemCancel, LAError::biometryLockout}) {
        cw::setBiometricAnswers({LABiometryType::touchID, std::nullopt, code});
        const Outcome failure = evaluate();
        EXPECT_FALSE(failure.success);
        ASSERT_TRUE(failure.error);
        EXPECT_EQ(failure.error->code, code);
        EXPECT_FALSE(failure.error->localizedDescription().empty());
    }
    EXPECT_EQ(evaluate("").error->code, LAError::invalidContext);
}

} // namespace
