#include "Models/Partner.h"

#include "Models/RecordReading.h"

Partner::Partner(const JSON::dictionary_t& dictionary) {
    const auto value = [&dictionary](const char* key) { return cw::member(dictionary, key); };
    relationship = value("relationship").string();
    name = value("name").string();
    email = value("email").string();
    connected = value("connected").bool_();
    memberID = value("id").asExactInt();
    pictureFile = value("file_name").string();
}
