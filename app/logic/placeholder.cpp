namespace dmm_logic_placeholder {}
