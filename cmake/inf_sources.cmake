# The INF reader and the model matcher.
set(DRAVOLIN_INF_SOURCES
  inf/inf_file.cpp
  inf/model_matcher.cpp
)
