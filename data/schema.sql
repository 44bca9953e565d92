-- The history table, one record per tenor (or currency) and date. The program relies on no key:
-- it looks the pair up itself before adding a record.
CREATE TABLE Storico_Euribor (
    Tipo_Valuta TEXT,
    Data_Valuta TEXT,
    Quotazione REAL,
    Descrizione TEXT,
    Note TEXT
);
CREATE INDEX Storico_Euribor_Tipo_Data ON Storico_Euribor (Tipo_Valuta, Data_Valuta);
-- The load walks every record in date order: this index spares it a sort.
CREATE INDEX Storico_Euribor_Data ON Storico_Euribor (Data_Valuta);
-- Only the records whose rate is not a number (none, in a sound history): the loads' check for them
-- reads this instead of every record.
CREATE INDEX Storico_Euribor_Quotazione_Non_Numero ON Storico_Euribor (Quotazione)
    WHERE typeof(Quotazione) NOT IN ('integer', 'real');
