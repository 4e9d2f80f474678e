#pragma once
// rvk327tag: the three day codes of a person and day.
struct TagRecord {
  char TagPnr[9];
  char TagTag[9];
  char TagTgb[4];
  char TagHtv[4];
  char TagHtn[4];
};

int Read_UrlKrk_Tgb(TagRecord& record);
