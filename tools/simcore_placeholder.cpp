namespace dmm_sim {}
