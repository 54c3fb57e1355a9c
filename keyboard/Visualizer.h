// Visualizer: the audio analyser of the music page. It renders only while the music page is on
// show; until the analyser is built the window keeps just that switch.
#pragma once

#include <atomic>

class Visualizer {
 public:
  // 1 while the analyser renders (the music tab is on show); 0 after construction. Any thread.
  std::atomic<int> m_active{0};
};
