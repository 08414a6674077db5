-- Needs the collation PTBR registered on the connection (the module, gerademo and the
-- extension libptbr do it; in the sqlite3 shell: .load <bin>/libptbr).
-- Lists a cost centre in name order with every listed column: no sort step, no table reads.
CREATE INDEX IF NOT EXISTS IX_CONSUMIDOR_LISTA
  ON CONSUMIDOR (CDCCUSCLIE, NMCONSUMIDOR COLLATE PTBR, CDIDCONSUMID, IDSITCONSUMI, CDCLIENTE,
                 CDTIPOCONS, CDCONSUMIDOR);
