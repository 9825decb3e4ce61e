#include "Services/SignUpParameters.h"

#include "Services/ServiceSupport.h"

JSON SignUpParameters::dictionaryRepresentation(
    const UserData& user, const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies,
    const std::string& password) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("full_name", user.fullName());
    parameters.set("email", user.email());
    parameters.set("relationship", rawValue(user.relationship()));
    parameters.set("password", password);
    if (babies && !babies->empty()) parameters.set("babies", cw::babiesJSON(*babies));
    return parameters;
}
