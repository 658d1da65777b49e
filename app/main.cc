#include "app/run_control.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  start_process();
  int count = 0;
  char** words = nullptr;
  process_words(argc, argv, &count, &words);
  end_process(velk_main(count, words));
}
