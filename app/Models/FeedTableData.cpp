#include "Models/FeedTableData.h"

FeedTableData::FeedTableData(const JSON& dictionary)
    : title(dictionary["title"].asString()), subtitle(dictionary["subtitle"].asString()),
      details(dictionary["details"].asString()), media(dictionary["media"].asString()),
      type(FeedMediaType::mediaType(dictionary["type"].asString())),
      videoIdentifier(dictionary["video_identifier"].asString()) {}
